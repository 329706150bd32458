profill's command line: what each invocation prints, its status, and the files and bookkeeping
it leaves. LP 1 has one channel and bookkeeping to clear, LP 2 no channels.

  $ set -o pipefail; printf '%s\n' /LP/1/currentDay/Value=3 /LP/1/fileRecCnt/Value=1 \
  >   /LP/1/totalRecCnt/Value=200 /LP/1/dayCnt/Value=2 /LP/2/currentDay/Value=1 \
  >   /LP/2/fileRecCnt/Value=2 /LP/2/totalRecCnt/Value=3 /LP/2/dayCnt/Value=4 \
  >   /LP/2/daysDeleted/Value=5 >seed.cds && cdsctl load seed.cds
  $ cdsctl set /Q7M/LoadPrf/1/NumChannels/Value 1 /Q7M/LoadPrf/2/NumChannels/Value 0
  $ fresh() { cdsctl load seed.cds && touch jffs/lp1/1.lp jffs/lp1/2.lp jffs/lp1/x.txt jffs/lp2/1.lp; }
  $ state() { ls jffs/lp1 jffs/lp2 && cdsctl dump /LP/; }
  $ fresh && state
  jffs/lp1:
  1.lp
  2.lp
  x.txt
  
  jffs/lp2:
  1.lp
  /LP/1/currentDay/Value = 3
  /LP/1/dayCnt/Value = 2
  /LP/1/daysDeleted/Value = 0
  /LP/1/fileRecCnt/Value = 1
  /LP/1/totalRecCnt/Value = 200
  /LP/2/currentDay/Value = 1
  /LP/2/dayCnt/Value = 4
  /LP/2/daysDeleted/Value = 5
  /LP/2/fileRecCnt/Value = 2
  /LP/2/totalRecCnt/Value = 3

The storage table, the usage and the configuration whole; other runs as differences from them.

  $ profill -p | tee p.out
  Load Profile Add input (profill) version 0.0.01 started.
  Load Profile 1 File Information Configuration
  Current	File	Total	Totl	Days   
  Day    	Recs	Recs 	Days	Deleted
  -------	----	-----	----	-------
  3	1	200	2	0
  
  
       	     	Maximum		Max    	Records		Bytes per	Bytes per	Total	Kilo 	4K Blks 	Actual
  Chans	Intvl	Days   		Records	Per Day		Record   	File     	Bytes	Bytes	per file	Disk usage
  -----	-----	-------		-------	-------		---------	---------	-----	-----	--------	----------
  16	1	25	36100	1444	112	161760	4044000	3949.22	40	4000
  16	2	50	36200	724	112	81120	4056000	3960.94	20	4000
  16	3	75	36300	484	112	54240	4068000	3972.66	14	4200
  16	4	100	36400	364	112	40800	4080000	3984.38	10	4000
  16	5	125	36500	292	112	32736	4092000	3996.09	8	4000
  16	6	149	36356	244	112	27360	4076640	3981.09	7	4172
  16	10	246	36408	148	112	16608	4085568	3989.81	5	4920
  16	12	294	36456	124	112	13920	4092480	3996.56	4	4704
  16	15	365	36500	100	112	11232	4099680	4003.59	3	4380
  16	20	479	36404	76	112	8544	4092576	3996.66	3	5748
  16	30	700	36400	52	112	5856	4099200	4003.12	2	5600
  16	60	1095	30660	28	112	3168	3468960	3387.66	1	4380
  16	1440	1095	1095	1	112	144	157680	153.98	1	4380
  16	10080	1095	1095	1	112	144	157680	153.98	1	4380
  16	43800	1095	1095	1	112	144	157680	153.98	1	4380
  15	1	26	37544	1444	106	153096	3980496	3887.20	38	3952
  15	2	53	38372	724	106	76776	4069128	3973.76	19	4028
  15	3	79	38236	484	106	51336	4055544	3960.49	13	4108
  15	4	106	38584	364	106	38616	4093296	3997.36	10	4240
  15	5	132	38544	292	106	30984	4089888	3994.03	8	4224
  15	6	158	38552	244	106	25896	4091568	3995.67	7	4424
  15	10	260	38480	148	106	15720	4087200	3991.41	4	4160
  15	12	311	38564	124	106	13176	4097736	4001.70	4	4976
  15	15	385	38500	100	106	10632	4093320	3997.38	3	4620
  15	20	506	38456	76	106	8088	4092528	3996.61	2	4048
  15	30	739	38428	52	106	5544	4097016	4000.99	2	5912
  15	60	1095	30660	28	106	3000	3285000	3208.01	1	4380
  15	1440	1095	1095	1	106	138	151110	147.57	1	4380
  15	10080	1095	1095	1	106	138	151110	147.57	1	4380
  15	43800	1095	1095	1	106	138	151110	147.57	1	4380
  14	1	28	40432	1444	100	144432	4044096	3949.31	36	4032
  14	2	56	40544	724	100	72432	4056192	3961.12	18	4032
  14	3	84	40656	484	100	48432	4068288	3972.94	12	4032
  14	4	112	40768	364	100	36432	4080384	3984.75	9	4032
  14	5	140	40880	292	100	29232	4092480	3996.56	8	4480
  14	6	167	40748	244	100	24432	4080144	3984.52	6	4008
  14	10	276	40848	148	100	14832	4093632	3997.69	4	4416
  14	12	329	40796	124	100	12432	4090128	3994.27	4	5264
  14	15	408	40800	100	100	10032	4093056	3997.12	3	4896
  14	20	537	40812	76	100	7632	4098384	4002.33	2	4296
  14	30	783	40716	52	100	5232	4096656	4000.64	2	6264
  14	60	1095	30660	28	100	2832	3101040	3028.36	1	4380
  14	1440	1095	1095	1	100	132	144540	141.15	1	4380
  14	10080	1095	1095	1	100	132	144540	141.15	1	4380
  14	43800	1095	1095	1	100	132	144540	141.15	1	4380
  13	1	30	43320	1444	94	135768	4073040	3977.58	34	4080
  13	2	60	43440	724	94	68088	4085280	3989.53	17	4080
  13	3	90	43560	484	94	45528	4097520	4001.48	12	4320
  13	4	119	43316	364	94	34248	4075512	3979.99	9	4284
  13	5	149	43508	292	94	27480	4094520	3998.55	7	4172
  13	6	178	43432	244	94	22968	4088304	3992.48	6	4272
  13	10	294	43512	148	94	13944	4099536	4003.45	4	4704
  13	12	350	43400	124	94	11688	4090800	3994.92	3	4200
  13	15	434	43400	100	94	9432	4093488	3997.55	3	5208
  13	20	571	43396	76	94	7176	4097496	4001.46	2	4568
  13	30	833	43316	52	94	4920	4098360	4002.30	2	6664
  13	60	1095	30660	28	94	2664	2917080	2848.71	1	4380
  13	1440	1095	1095	1	94	126	137970	134.74	1	4380
  13	10080	1095	1095	1	94	126	137970	134.74	1	4380
  13	43800	1095	1095	1	94	126	137970	134.74	1	4380
  12	1	32	46208	1444	88	127104	4067328	3972.00	32	4096
  12	2	64	46336	724	88	63744	4079616	3984.00	16	4096
  12	3	96	46464	484	88	42624	4091904	3996.00	11	4224
  12	4	127	46228	364	88	32064	4072128	3976.69	8	4064
  12	5	159	46428	292	88	25728	4090752	3994.88	7	4452
  12	6	190	46360	244	88	21504	4085760	3990.00	6	4560
  12	10	314	46472	148	88	13056	4099584	4003.50	4	5024
  12	12	374	46376	124	88	10944	4093056	3997.12	3	4488
  12	15	464	46400	100	88	8832	4098048	4002.00	3	5568
  12	20	610	46360	76	88	6720	4099200	4003.12	2	4880
  12	30	889	46228	52	88	4608	4096512	4000.50	2	7112
  12	60	1095	30660	28	88	2496	2733120	2669.06	1	4380
  12	1440	1095	1095	1	88	120	131400	128.32	1	4380
  12	10080	1095	1095	1	88	120	131400	128.32	1	4380
  12	43800	1095	1095	1	88	120	131400	128.32	1	4380
  11	1	34	49096	1444	82	118440	4026960	3932.58	29	3944
  11	2	69	49956	724	82	59400	4098600	4002.54	15	4140
  11	3	103	49852	484	82	39720	4091160	3995.27	10	4120
  11	4	137	49868	364	82	29880	4093560	3997.62	8	4384
  11	5	170	49640	292	82	23976	4075920	3980.39	6	4080
  11	6	204	49776	244	82	20040	4088160	3992.34	5	4080
  11	10	336	49728	148	82	12168	4088448	3992.62	3	4032
  11	12	401	49724	124	82	10200	4090200	3994.34	3	4812
  11	15	498	49800	100	82	8232	4099536	4003.45	3	5976
  11	20	654	49704	76	82	6264	4096656	4000.64	2	5232
  11	30	954	49608	52	82	4296	4098384	4002.33	2	7632
  11	60	1095	30660	28	82	2328	2549160	2489.41	1	4380
  11	1440	1095	1095	1	82	114	124830	121.90	1	4380
  11	10080	1095	1095	1	82	114	124830	121.90	1	4380
  11	43800	1095	1095	1	82	114	124830	121.90	1	4380
  10	1	37	53428	1444	76	109776	4061712	3966.52	27	3996
  10	2	74	53576	724	76	55056	4074144	3978.66	14	4144
  10	3	111	53724	484	76	36816	4086576	3990.80	9	3996
  10	4	148	53872	364	76	27696	4099008	4002.94	7	4144
  10	5	184	53728	292	76	22224	4089216	3993.38	6	4416
  10	6	220	53680	244	76	18576	4086720	3990.94	5	4400
  10	10	363	53724	148	76	11280	4094640	3998.67	3	4356
  10	12	433	53692	124	76	9456	4094448	3998.48	3	5196
  10	15	537	53700	100	76	7632	4098384	4002.33	2	4296
  10	20	705	53580	76	76	5808	4094640	3998.67	2	5640
  10	30	1029	53508	52	76	3984	4099536	4003.45	1	4116
  10	60	1095	30660	28	76	2160	2365200	2309.77	1	4380
  10	1440	1095	1095	1	76	108	118260	115.49	1	4380
  10	10080	1095	1095	1	76	108	118260	115.49	1	4380
  10	43800	1095	1095	1	76	108	118260	115.49	1	4380
  9	1	40	57760	1444	70	101112	4044480	3949.69	25	4000
  9	2	80	57920	724	70	50712	4056960	3961.88	13	4160
  9	3	120	58080	484	70	33912	4069440	3974.06	9	4320
  9	4	160	58240	364	70	25512	4081920	3986.25	7	4480
  9	5	200	58400	292	70	20472	4094400	3998.44	5	4000
  9	6	239	58316	244	70	17112	4089768	3993.91	5	4780
  9	10	394	58312	148	70	10392	4094448	3998.48	3	4728
  9	12	470	58280	124	70	8712	4094640	3998.67	3	5640
  9	15	583	58300	100	70	7032	4099656	4003.57	2	4664
  9	20	766	58216	76	70	5352	4099632	4003.55	2	6128
  9	30	1095	56940	52	70	3672	4020840	3926.60	1	4380
  9	60	1095	30660	28	70	1992	2181240	2130.12	1	4380
  9	1440	1095	1095	1	70	102	111690	109.07	1	4380
  9	10080	1095	1095	1	70	102	111690	109.07	1	4380
  9	43800	1095	1095	1	70	102	111690	109.07	1	4380
  8	1	44	63536	1444	64	92448	4067712	3972.38	23	4048
  8	2	88	63712	724	64	46368	4080384	3984.75	12	4224
  8	3	132	63888	484	64	31008	4093056	3997.12	8	4224
  8	4	175	63700	364	64	23328	4082400	3986.72	6	4200
  8	5	219	63948	292	64	18720	4099680	4003.59	5	4380
  8	6	261	63684	244	64	15648	4084128	3988.41	4	4176
  8	10	431	63788	148	64	9504	4096224	4000.22	3	5172
  8	12	514	63736	124	64	7968	4095552	3999.56	2	4112
  8	15	637	63700	100	64	6432	4097184	4001.16	2	5096
  8	20	837	63612	76	64	4896	4097952	4001.91	2	6696
  8	30	1095	56940	52	64	3360	3679200	3592.97	1	4380
  8	60	1095	30660	28	64	1824	1997280	1950.47	1	4380
  8	1440	1095	1095	1	64	96	105120	102.66	1	4380
  8	10080	1095	1095	1	64	96	105120	102.66	1	4380
  8	43800	1095	1095	1	64	96	105120	102.66	1	4380
  7	1	48	69312	1444	58	83784	4021632	3927.38	21	4032
  7	2	97	70228	724	58	42024	4076328	3980.79	11	4268
  7	3	145	70180	484	58	28104	4075080	3979.57	7	4060
  7	4	193	70252	364	58	21144	4080792	3985.15	6	4632
  7	5	241	70372	292	58	16968	4089288	3993.45	5	4820
  7	6	289	70516	244	58	14184	4099176	4003.10	4	4624
  7	10	475	70300	148	58	8616	4092600	3996.68	3	5700
  7	12	567	70308	124	58	7224	4096008	4000.01	2	4536
  7	15	702	70200	100	58	5832	4094064	3998.11	2	5616
  7	20	923	70148	76	58	4440	4098120	4002.07	2	7384
  7	30	1095	56940	52	58	3048	3337560	3259.34	1	4380
  7	60	1095	30660	28	58	1656	1813320	1770.82	1	4380
  7	1440	1095	1095	1	58	90	98550	96.24	1	4380
  7	10080	1095	1095	1	58	90	98550	96.24	1	4380
  7	43800	1095	1095	1	58	90	98550	96.24	1	4380
  6	1	54	77976	1444	52	75120	4056480	3961.41	19	4104
  6	2	108	78192	724	52	37680	4069440	3974.06	10	4320
  6	3	162	78408	484	52	25200	4082400	3986.72	7	4536
  6	4	216	78624	364	52	18960	4095360	3999.38	5	4320
  6	5	269	78548	292	52	15216	4093104	3997.17	4	4304
  6	6	322	78568	244	52	12720	4095840	3999.84	4	5152
  6	10	530	78440	148	52	7728	4095840	3999.84	2	4240
  6	12	632	78368	124	52	6480	4095360	3999.38	2	5056
  6	15	783	78300	100	52	5232	4096656	4000.64	2	6264
  6	20	1029	78204	76	52	3984	4099536	4003.45	1	4116
  6	30	1095	56940	52	52	2736	2995920	2925.70	1	4380
  6	60	1095	30660	28	52	1488	1629360	1591.17	1	4380
  6	1440	1095	1095	1	52	84	91980	89.82	1	4380
  6	10080	1095	1095	1	52	84	91980	89.82	1	4380
  6	43800	1095	1095	1	52	84	91980	89.82	1	4380
  5	1	61	88084	1444	46	66456	4053816	3958.80	17	4148
  5	2	122	88328	724	46	33336	4066992	3971.67	9	4392
  5	3	183	88572	484	46	22296	4080168	3984.54	6	4392
  5	4	244	88816	364	46	16776	4093344	3997.41	5	4880
  5	5	304	88768	292	46	13464	4093056	3997.12	4	4864
  5	6	364	88816	244	46	11256	4097184	4001.16	3	4368
  5	10	599	88652	148	46	6840	4097160	4001.13	2	4792
  5	12	714	88536	124	46	5736	4095504	3999.52	2	5712
  5	15	885	88500	100	46	4632	4099320	4003.24	2	7080
  5	20	1095	83220	76	46	3528	3863160	3772.62	1	4380
  5	30	1095	56940	52	46	2424	2654280	2592.07	1	4380
  5	60	1095	30660	28	46	1320	1445400	1411.52	1	4380
  5	1440	1095	1095	1	46	78	85410	83.41	1	4380
  5	10080	1095	1095	1	46	78	85410	83.41	1	4380
  5	43800	1095	1095	1	46	78	85410	83.41	1	4380
  4	1	70	101080	1444	40	57792	4045440	3950.62	15	4200
  4	2	141	102084	724	40	28992	4087872	3992.06	8	4512
  4	3	211	102124	484	40	19392	4091712	3995.81	5	4220
  4	4	280	101920	364	40	14592	4085760	3990.00	4	4480
  4	5	350	102200	292	40	11712	4099200	4003.12	3	4200
  4	6	418	101992	244	40	9792	4093056	3997.12	3	5016
  4	10	688	101824	148	40	5952	4094976	3999.00	2	5504
  4	12	821	101804	124	40	4992	4098432	4002.38	2	6568
  4	15	1016	101600	100	40	4032	4096512	4000.50	1	4064
  4	20	1095	83220	76	40	3072	3363840	3285.00	1	4380
  4	30	1095	56940	52	40	2112	2312640	2258.44	1	4380
  4	60	1095	30660	28	40	1152	1261440	1231.88	1	4380
  4	1440	1095	1095	1	40	72	78840	76.99	1	4380
  4	10080	1095	1095	1	40	72	78840	76.99	1	4380
  4	43800	1095	1095	1	40	72	78840	76.99	1	4380
  3	1	83	119852	1444	34	49128	4077624	3982.05	12	3984
  3	2	166	120184	724	34	24648	4091568	3995.67	7	4648
  3	3	248	120032	484	34	16488	4089024	3993.19	5	4960
  3	4	330	120120	364	34	12408	4094640	3998.67	4	5280
  3	5	411	120012	292	34	9960	4093560	3997.62	3	4932
  3	6	492	120048	244	34	8328	4097376	4001.34	3	5904
  3	10	809	119732	148	34	5064	4096776	4000.76	2	6472
  3	12	965	119660	124	34	4248	4099320	4003.24	2	7720
  3	15	1095	109500	100	34	3432	3758040	3669.96	1	4380
  3	20	1095	83220	76	34	2616	2864520	2797.38	1	4380
  3	30	1095	56940	52	34	1800	1971000	1924.80	1	4380
  3	60	1095	30660	28	34	984	1077480	1052.23	1	4380
  3	1440	1095	1095	1	34	66	72270	70.58	1	4380
  3	10080	1095	1095	1	34	66	72270	70.58	1	4380
  3	43800	1095	1095	1	34	66	72270	70.58	1	4380
  2	1	101	145844	1444	28	40464	4086864	3991.08	10	4040
  2	2	201	145524	724	28	20304	4081104	3985.45	5	4020
  2	3	301	145684	484	28	13584	4088784	3992.95	4	4816
  2	4	400	145600	364	28	10224	4089600	3993.75	3	4800
  2	5	499	145708	292	28	8208	4095792	3999.80	3	5988
  2	6	597	145668	244	28	6864	4097808	4001.77	2	4776
  2	10	981	145188	148	28	4176	4096656	4000.64	2	7848
  2	12	1095	135780	124	28	3504	3836880	3746.95	1	4380
  2	15	1095	109500	100	28	2832	3101040	3028.36	1	4380
  2	20	1095	83220	76	28	2160	2365200	2309.77	1	4380
  2	30	1095	56940	52	28	1488	1629360	1591.17	1	4380
  2	60	1095	30660	28	28	816	893520	872.58	1	4380
  2	1440	1095	1095	1	28	60	65700	64.16	1	4380
  2	10080	1095	1095	1	28	60	65700	64.16	1	4380
  2	43800	1095	1095	1	28	60	65700	64.16	1	4380
  1	1	128	184832	1444	22	31800	4070400	3975.00	8	4096
  1	2	256	185344	724	22	15960	4085760	3990.00	4	4096
  1	3	383	185372	484	22	10680	4090440	3994.57	3	4596
  1	4	509	185276	364	22	8040	4092360	3996.45	2	4072
  1	5	635	185420	292	22	6456	4099560	4003.48	2	5080
  1	6	759	185196	244	22	5400	4098600	4002.54	2	6072
  1	10	1095	162060	148	22	3288	3600360	3515.98	1	4380
  1	12	1095	135780	124	22	2760	3022200	2951.37	1	4380
  1	15	1095	109500	100	22	2232	2444040	2386.76	1	4380
  1	20	1095	83220	76	22	1704	1865880	1822.15	1	4380
  1	30	1095	56940	52	22	1176	1287720	1257.54	1	4380
  1	60	1095	30660	28	22	648	709560	692.93	1	4380
  1	1440	1095	1095	1	22	54	59130	57.74	1	4380
  1	10080	1095	1095	1	22	54	59130	57.74	1	4380
  1	43800	1095	1095	1	22	54	59130	57.74	1	4380
  
  NOTE: When maxDays is > 1095; MaxDays is set to 1095
  $ PROFILL_JFFS=jffs profill -x | tee u.out
  Load Profile Add input (profill) version 0.0.01 started.
  Usage: profill -i <interval length in minutes 1 -> 60>  -t <total days> -c [-2] [-s] [-p] [-d 0xXXX]
   -i: set the interval length to minutes 1-60,1440(daily),10080(weekly),43800(monthly)
   -t: total number of days/files of data to auto generate data for 1->365 (default is 2)
   -c: clear file info parms in CDS before starting...to all zero's
   -2: Select LP 2;  otherwise LP 1 is assumed
   -s: Read & Display Configuration and File Info Only; (skip)DO NOT GENERATE LP RECORDS
   -p: Print out Table of Storage Allocations DO NOT GENERATE LP RECORDS
   -d: set the debug log level
       1: Display Configuration read from CDS
       2: WriteLpRecord
  
   If no interval length is entered, value in the CDS is used.
  
  [1]
  $ profill -s | tee s.out
  Load Profile Add input (profill) version 0.0.01 started.
  Load Profile 1 Configuration
  Chnls	IntLength	Sync	FrzMark	StoreEvents	InCounts
  -----	---------	----	-------	-----------	--------
  1	15		0	0	3		0
  Channel Configuaration for 1 Channels
  Chan	Type	Quan	Phase	Dir	Records	kmVal		TLC
  ----	----	----	-----	---	-------	-----		---
  1	1	1	0	0	1	1.800000	0
  
  
  Load Profile 1 File Information Configuration
  Current	File	Total	Totl	Days   
  Day    	Recs	Recs 	Days	Deleted
  -------	----	-----	----	-------
  3	1	200	2	0
  
  
  $ d() { local whole=$1; shift; echo "-- $*"; profill "$@" >o; local status=$?
  >   diff -U0 "$whole" o | tail -n +3; [ $status = 0 ] || echo "[$status]"; }
  $ for args in '-2 -p' '-i 1 -t 1 -p' '-i 60 -p' '-i 1440 -p' '-i 10080 -p' '-i 43800 -p' \
  >   '-t 1500 -p' '-p -d 0x8' '-p -d 10' '-p -d 7ffffff8' '-i 5 -t 3 -2 -p -d 0 -x junk'; do d p.out $args; done
  -- -2 -p
  @@ -2 +2 @@
  -Load Profile 1 File Information Configuration
  +Load Profile 2 File Information Configuration
  @@ -6 +6 @@
  -3	1	200	2	0
  +1	2	3	4	5
  -- -i 1 -t 1 -p
  @@ -1,0 +2 @@
  +interval length is 1
  -- -i 60 -p
  @@ -1,0 +2 @@
  +interval length is 60
  -- -i 1440 -p
  @@ -1,0 +2 @@
  +interval length is 1440
  -- -i 10080 -p
  @@ -1,0 +2 @@
  +interval length is 10080
  -- -i 43800 -p
  @@ -1,0 +2 @@
  +interval length is 43800
  -- -t 1500 -p
  -- -p -d 0x8
  @@ -1,0 +2 @@
  +debug level is: string=0x8 = hex=8; decimal=8
  -- -p -d 10
  @@ -1,0 +2 @@
  +debug level is: string=10 = hex=10; decimal=16
  -- -p -d 7ffffff8
  @@ -1,0 +2 @@
  +debug level is: string=7ffffff8 = hex=7ffffff8; decimal=2147483640
  -- -i 5 -t 3 -2 -p -d 0 -x junk
  @@ -2 +2,3 @@
  -Load Profile 1 File Information Configuration
  +interval length is 5
  +debug level is: string=0 = hex=0; decimal=0
  +Load Profile 2 File Information Configuration
  @@ -6 +8 @@
  -3	1	200	2	0
  +1	2	3	4	5
  $ for args in '-2 -s' '-i 15min -s'; do d s.out $args; done
  -- -2 -s
  @@ -2 +2 @@
  -Load Profile 1 Configuration
  +Load Profile 2 Configuration
  @@ -5,2 +5,2 @@
  -1	15		0	0	3		0
  -Channel Configuaration for 1 Channels
  +0	0		0	0	0		0
  +Channel Configuaration for 0 Channels
  @@ -9 +8,0 @@
  -1	1	1	0	0	1	1.800000	0
  @@ -12 +11 @@
  -Load Profile 1 File Information Configuration
  +Load Profile 2 File Information Configuration
  @@ -16 +15 @@
  -3	1	200	2	0
  +1	2	3	4	5
  -- -i 15min -s
  @@ -1,0 +2 @@
  +interval length is 15
  $ profill -2
  Load Profile Add input (profill) version 0.0.01 started.
  Load Profile 2 File Information Configuration
  Current	File	Total	Totl	Days   
  Day    	Recs	Recs 	Days	Deleted
  -------	----	-----	----	-------
  1	2	3	4	5
  
  
  profill: LP 2 has 0 channels in the CDS, which cannot be generated; configure 1 to 16 channels (NumChannels)
  [1]
  $ for args in '-i 0' '-i 61' '-i abc' '-i 4294967311' '-i' '-t 0' '-t 1501' '-t' '-t 5 -i 15' \
  >   '-p -d ffffffff' '-p -d -80000000' '-p -d 100000000' '-p -d xyz' '-p -d' '-c -c'; do d u.out $args; done
  -- -i 0
  @@ -1,0 +2,2 @@
  +interval length is 0
  +Invalid interval length value; must be 1 -> 60
  [1]
  -- -i 61
  @@ -1,0 +2,2 @@
  +interval length is 61
  +Invalid interval length value; must be 1 -> 60
  [1]
  -- -i abc
  [1]
  -- -i 4294967311
  [1]
  -- -i
  @@ -1,0 +2 @@
  +Missing interval length value
  [1]
  -- -t 0
  [1]
  -- -t 1501
  [1]
  -- -t
  @@ -1,0 +2 @@
  +Missing number of days to generate data for
  [1]
  -- -t 5 -i 15
  [1]
  -- -p -d ffffffff
  @@ -1,0 +2,2 @@
  +debug level is: string=ffffffff = hex=ffffffff; decimal=-1
  +Invalid debug log level entered
  [1]
  -- -p -d -80000000
  @@ -1,0 +2,2 @@
  +debug level is: string=-80000000 = hex=80000000; decimal=-2147483648
  +Invalid debug log level entered
  [1]
  -- -p -d 100000000
  @@ -1,0 +2 @@
  +Invalid debug log level entered
  [1]
  -- -p -d xyz
  @@ -1,0 +2 @@
  +Invalid debug log level entered
  [1]
  -- -p -d
  @@ -1,0 +2 @@
  +NO debug log level entered
  [1]
  -- -c -c
  [1]
  $ CDS_STORE=none.mdb profill -i 5 -c -p -d 8
  Load Profile Add input (profill) version 0.0.01 started.
  interval length is 5
  debug level is: string=8 = hex=8; decimal=8
  ! profill[PID]: main: Error: can't initialize CDS connection
  [1]
  $ state
  jffs/lp1:
  1.lp
  2.lp
  x.txt
  
  jffs/lp2:
  1.lp
  /LP/1/currentDay/Value = 3
  /LP/1/dayCnt/Value = 2
  /LP/1/daysDeleted/Value = 0
  /LP/1/fileRecCnt/Value = 1
  /LP/1/totalRecCnt/Value = 200
  /LP/2/currentDay/Value = 1
  /LP/2/dayCnt/Value = 4
  /LP/2/daysDeleted/Value = 5
  /LP/2/fileRecCnt/Value = 2
  /LP/2/totalRecCnt/Value = 3

-c clears the bookkeeping and removes the day files, nothing else; when the removal fails (rm
exits 1, or is killed) it says so and stops with status 1, the bookkeeping kept, nothing written.

  $ d s.out -c -s; state
  -- -c -s
  @@ -18,0 +19,2 @@
  +profill: success for rm -Rf $T/jffs/lp1/*.lp
  +Clearing out file info in CDS before starting
  jffs/lp1:
  x.txt
  
  jffs/lp2:
  1.lp
  /LP/1/currentDay/Value = 0
  /LP/1/dayCnt/Value = 0
  /LP/1/daysDeleted/Value = 0
  /LP/1/fileRecCnt/Value = 0
  /LP/1/totalRecCnt/Value = 0
  /LP/2/currentDay/Value = 1
  /LP/2/dayCnt/Value = 4
  /LP/2/daysDeleted/Value = 5
  /LP/2/fileRecCnt/Value = 2
  /LP/2/totalRecCnt/Value = 3
  $ mkdir bin && printf '#!/bin/sh\nexit 1\n' >bin/rm && chmod +x bin/rm
  $ fresh && PATH=$T/bin:$PATH d s.out -c -s; state
  -- -c -s
  @@ -18,0 +19 @@
  +profill: failure for rm -Rf $T/jffs/lp1/*.lp
  [1]
  jffs/lp1:
  1.lp
  2.lp
  x.txt
  
  jffs/lp2:
  1.lp
  /LP/1/currentDay/Value = 3
  /LP/1/dayCnt/Value = 2
  /LP/1/daysDeleted/Value = 0
  /LP/1/fileRecCnt/Value = 1
  /LP/1/totalRecCnt/Value = 200
  /LP/2/currentDay/Value = 1
  /LP/2/dayCnt/Value = 4
  /LP/2/daysDeleted/Value = 5
  /LP/2/fileRecCnt/Value = 2
  /LP/2/totalRecCnt/Value = 3
  $ printf '#!/bin/sh\nkill -KILL $$\n' >bin/rm
  $ fresh && { PATH=$T/bin:$PATH profill -i 60 -t 1 -c 2>/dev/null; echo "[$?]"; } | tail -2
  > wc -c <jffs/lp1/1.lp; cdsctl dump /LP/1/
  profill: failure for rm -Rf $T/jffs/lp1/*.lp
  [1]
  0
  /LP/1/currentDay/Value = 3
  /LP/1/dayCnt/Value = 2
  /LP/1/daysDeleted/Value = 0
  /LP/1/fileRecCnt/Value = 1
  /LP/1/totalRecCnt/Value = 200
  $ fresh && d p.out -c -2 -p; state
  -- -c -2 -p
  @@ -2 +2 @@
  -Load Profile 1 File Information Configuration
  +Load Profile 2 File Information Configuration
  @@ -6 +6 @@
  -3	1	200	2	0
  +1	2	3	4	5
  @@ -8,0 +9,2 @@
  +profill: success for rm -Rf $T/jffs/lp2/*.lp
  +Clearing out file info in CDS before starting
  jffs/lp1:
  1.lp
  2.lp
  x.txt
  
  jffs/lp2:
  /LP/1/currentDay/Value = 3
  /LP/1/dayCnt/Value = 2
  /LP/1/daysDeleted/Value = 0
  /LP/1/fileRecCnt/Value = 1
  /LP/1/totalRecCnt/Value = 200
  /LP/2/currentDay/Value = 0
  /LP/2/dayCnt/Value = 0
  /LP/2/daysDeleted/Value = 0
  /LP/2/fileRecCnt/Value = 0
  /LP/2/totalRecCnt/Value = 0
  $ d p.out -c -2 -p -d 4
  -- -c -2 -p -d 4
  @@ -2 +2,2 @@
  -Load Profile 1 File Information Configuration
  +debug level is: string=4 = hex=4; decimal=4
  +Load Profile 2 File Information Configuration
  @@ -6 +7 @@
  -3	1	200	2	0
  +0	0	0	0	0
  @@ -8,0 +10,4 @@
  +profill: success for rm -Rf $T/jffs/lp2/*.lp
  +Clearing out file info in CDS before starting
  +[WriteFileInfoToCDS] prefix=/LP/2
  +[WriteFileInfoToCDS] wrote 5 values to CDS

A cleared run: its day files and bookkeeping agree.

  $ faketime -f '@2026-12-06 08:00:00' profill -i 60 -t 2 -c && lpdump --verify --strict && state
  Load Profile Add input (profill) version 0.0.01 started.
  interval length is 60
  Load Profile 1 File Information Configuration
  Current	File	Total	Totl	Days   
  Day    	Recs	Recs 	Days	Deleted
  -------	----	-----	----	-------
  3	1	200	2	0
  
  
  profill: success for rm -Rf $T/jffs/lp1/*.lp
  Clearing out file info in CDS before starting
  profill: main starting a LP recording with an interval of 3600 seconds
  There should be a minimum of 28 records per file.(1440/60)
  Auto generating 2 days of records; 56 total records
  Total Seconds = 172800; 1796544000
  Date range is 1796371200 -> 1796544000
  This LP Date range is 12-04-2026  08:00:00 -> 12-06-2026  08:00:00   (1796371200 -> 1796544000)
  [CreateLpFile]creating file $T/jffs/lp1/1.lp
  [CreateLpFile]creating file $T/jffs/lp1/2.lp
  [CreateLpFile]creating file $T/jffs/lp1/3.lp
  Load Profile 1 File Information Configuration
  Current	File	Total	Totl	Days   
  Day    	Recs	Recs 	Days	Deleted
  -------	----	-----	----	-------
  3	0	56	2	0
  
  
  lpdump: LP 1 agrees with its store: 3 day files, 56 records of 1 channel
  jffs/lp1:
  1.lp
  2.lp
  3.lp
  x.txt
  
  jffs/lp2:
  /LP/1/currentDay/Value = 3
  /LP/1/dayCnt/Value = 2
  /LP/1/daysDeleted/Value = 0
  /LP/1/fileRecCnt/Value = 0
  /LP/1/totalRecCnt/Value = 56
  /LP/2/currentDay/Value = 0
  /LP/2/dayCnt/Value = 0
  /LP/2/daysDeleted/Value = 0
  /LP/2/fileRecCnt/Value = 0
  /LP/2/totalRecCnt/Value = 0
